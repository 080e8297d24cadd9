<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="xml"/>
<xsl:template match="/"><r><xsl:apply-templates select="//book | //title"/></r></xsl:template>
<xsl:template match="book"><b><xsl:value-of select="@id"/></b></xsl:template>
<xsl:template match="book[@year='1999']"><old><xsl:value-of select="@id"/></old></xsl:template>
<xsl:template match="book[@id='b3']" priority="2"><special/></xsl:template>
<xsl:template match="*"><any/></xsl:template>
<xsl:template match="catalog/book/title"><t><xsl:value-of select="."/></t></xsl:template>
<xsl:template match="node()" priority="-10"><never/></xsl:template>
</xsl:stylesheet>
